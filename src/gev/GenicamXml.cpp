#include "gev/GenicamXml.h"

#include "gev/Features.h"

namespace tamra::gev {

static_assert(feature::Width == 0x10000 && feature::ImageSet == 0x10040 &&
                  feature::ImageFolder == 0x10100,
              "the description below spells these addresses out");

namespace {

const char* const kXml = R"XML(<?xml version="1.0" encoding="utf-8"?>
<RegisterDescription ModelName="Emulator" VendorName="Tamra" ToolTip="Camera emulator playing folders of bitmap files" StandardNameSpace="GEV" SchemaMajorVersion="1" SchemaMinorVersion="1" SchemaSubMinorVersion="0" MajorVersion="1" MinorVersion="0" SubMinorVersion="0" ProductGuid="6f1c2b9e-4a7d-4c51-9b1e-2d8f0a3c7e11" VersionGuid="0b7e5d3a-91c4-4f26-8e0d-5a6b7c8d9e01" xmlns="http://www.genicam.org/GenApi/Version_1_1" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xsi:schemaLocation="http://www.genicam.org/GenApi/Version_1_1 http://www.genicam.org/GenApi/GenApiSchema_Version_1_1.xsd">
  <Category Name="Root" NameSpace="Standard">
    <pFeature>ImageFormatControl</pFeature>
    <pFeature>AcquisitionControl</pFeature>
    <pFeature>TamraControl</pFeature>
    <pFeature>TransportLayerControl</pFeature>
  </Category>
  <Category Name="TransportLayerControl" NameSpace="Standard">
    <pFeature>GevSCPSFireTestPacket</pFeature>
  </Category>
  <Category Name="ImageFormatControl" NameSpace="Standard">
    <pFeature>Width</pFeature>
    <pFeature>Height</pFeature>
    <pFeature>PixelFormat</pFeature>
    <pFeature>PayloadSize</pFeature>
  </Category>
  <Category Name="AcquisitionControl" NameSpace="Standard">
    <pFeature>AcquisitionMode</pFeature>
    <pFeature>AcquisitionStart</pFeature>
    <pFeature>AcquisitionStop</pFeature>
    <pFeature>AcquisitionFrameRate</pFeature>
    <pFeature>TriggerSelector</pFeature>
    <pFeature>TriggerMode</pFeature>
    <pFeature>TriggerSource</pFeature>
    <pFeature>TriggerSoftware</pFeature>
  </Category>
  <Category Name="TamraControl" NameSpace="Custom">
    <ToolTip>What the emulator plays and how it went</ToolTip>
    <pFeature>TamraImageFolder</pFeature>
    <pFeature>TamraImageSet</pFeature>
    <pFeature>TamraCameraCount</pFeature>
    <pFeature>TamraFrameDelay</pFeature>
    <pFeature>TamraOverrunCount</pFeature>
    <pFeature>TamraFramesDelivered</pFeature>
  </Category>
  <Integer Name="Width" NameSpace="Standard">
    <ToolTip>Width of the image in pixels; the files are scaled to it</ToolTip>
    <pValue>WidthReg</pValue>
    <Min>8</Min>
    <Max>8192</Max>
    <Inc>1</Inc>
  </Integer>
  <IntReg Name="WidthReg">
    <Address>0x10000</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Integer Name="Height" NameSpace="Standard">
    <ToolTip>Height of the image in pixels; the files are scaled to it</ToolTip>
    <pValue>HeightReg</pValue>
    <Min>8</Min>
    <Max>8192</Max>
    <Inc>1</Inc>
  </Integer>
  <IntReg Name="HeightReg">
    <Address>0x10004</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Enumeration Name="PixelFormat" NameSpace="Standard">
    <ToolTip>Colour layout of the frames</ToolTip>
    <EnumEntry Name="Mono8" NameSpace="Standard">
      <Value>17301505</Value>
    </EnumEntry>
    <EnumEntry Name="BGR8" NameSpace="Standard">
      <Value>35127317</Value>
    </EnumEntry>
    <EnumEntry Name="BGRa8" NameSpace="Standard">
      <Value>35651607</Value>
    </EnumEntry>
    <pValue>PixelFormatReg</pValue>
  </Enumeration>
  <IntReg Name="PixelFormatReg">
    <Address>0x10008</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Integer Name="PayloadSize" NameSpace="Standard">
    <ToolTip>Bytes of one frame</ToolTip>
    <pValue>PayloadSizeReg</pValue>
  </Integer>
  <IntReg Name="PayloadSizeReg">
    <Address>0x1000c</Address>
    <Length>4</Length>
    <AccessMode>RO</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Enumeration Name="AcquisitionMode" NameSpace="Standard">
    <EnumEntry Name="Continuous" NameSpace="Standard">
      <Value>0</Value>
    </EnumEntry>
    <pValue>AcquisitionModeReg</pValue>
  </Enumeration>
  <IntReg Name="AcquisitionModeReg">
    <Address>0x10010</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Command Name="AcquisitionStart" NameSpace="Standard">
    <pValue>AcquisitionStartReg</pValue>
    <CommandValue>1</CommandValue>
  </Command>
  <IntReg Name="AcquisitionStartReg">
    <Address>0x10014</Address>
    <Length>4</Length>
    <AccessMode>WO</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Command Name="AcquisitionStop" NameSpace="Standard">
    <pValue>AcquisitionStopReg</pValue>
    <CommandValue>1</CommandValue>
  </Command>
  <IntReg Name="AcquisitionStopReg">
    <Address>0x10018</Address>
    <Length>4</Length>
    <AccessMode>WO</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Float Name="AcquisitionFrameRate" NameSpace="Standard">
    <ToolTip>Free-run frame rate; the emulator waits 1000 / rate milliseconds between frames</ToolTip>
    <pValue>AcquisitionFrameRateReg</pValue>
    <Min>0.1</Min>
    <Max>30.4</Max>
    <Unit>Hz</Unit>
  </Float>
  <FloatReg Name="AcquisitionFrameRateReg">
    <Address>0x10028</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Endianess>BigEndian</Endianess>
  </FloatReg>
  <Enumeration Name="TriggerSelector" NameSpace="Standard">
    <EnumEntry Name="FrameStart" NameSpace="Standard">
      <Value>0</Value>
    </EnumEntry>
    <pValue>TriggerSelectorReg</pValue>
  </Enumeration>
  <IntReg Name="TriggerSelectorReg">
    <Address>0x10038</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Enumeration Name="TriggerMode" NameSpace="Standard">
    <EnumEntry Name="Off" NameSpace="Standard">
      <Value>0</Value>
    </EnumEntry>
    <EnumEntry Name="On" NameSpace="Standard">
      <Value>1</Value>
    </EnumEntry>
    <pValue>TriggerModeReg</pValue>
  </Enumeration>
  <IntReg Name="TriggerModeReg">
    <Address>0x1001c</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Enumeration Name="TriggerSource" NameSpace="Standard">
    <EnumEntry Name="Software" NameSpace="Standard">
      <Value>0</Value>
    </EnumEntry>
    <EnumEntry Name="Line0" NameSpace="Standard">
      <Value>1</Value>
    </EnumEntry>
    <pValue>TriggerSourceReg</pValue>
  </Enumeration>
  <IntReg Name="TriggerSourceReg">
    <Address>0x10020</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Command Name="TriggerSoftware" NameSpace="Standard">
    <pValue>TriggerSoftwareReg</pValue>
    <CommandValue>1</CommandValue>
  </Command>
  <IntReg Name="TriggerSoftwareReg">
    <Address>0x10024</Address>
    <Length>4</Length>
    <AccessMode>WO</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <StringReg Name="TamraImageFolder" NameSpace="Custom">
    <ToolTip>Folder tree the emulator plays; writing it re-scans the folders</ToolTip>
    <Address>0x10100</Address>
    <Length>256</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
  </StringReg>
  <Enumeration Name="TamraImageSet" NameSpace="Custom">
    <ToolTip>Plays the whole tree, or only its pass, fail or calibration images</ToolTip>
    <EnumEntry Name="All" NameSpace="Custom">
      <Value>0</Value>
    </EnumEntry>
    <EnumEntry Name="Pass" NameSpace="Custom">
      <Value>1</Value>
    </EnumEntry>
    <EnumEntry Name="Fail" NameSpace="Custom">
      <Value>2</Value>
    </EnumEntry>
    <EnumEntry Name="Calibration" NameSpace="Custom">
      <Value>3</Value>
    </EnumEntry>
    <pValue>TamraImageSetReg</pValue>
  </Enumeration>
  <IntReg Name="TamraImageSetReg">
    <Address>0x10040</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Integer Name="TamraCameraCount" NameSpace="Custom">
    <ToolTip>Cameras the emulator plays (folder Cam1 and on for the second and later)</ToolTip>
    <pValue>TamraCameraCountReg</pValue>
    <Min>1</Min>
    <Max>8</Max>
  </Integer>
  <IntReg Name="TamraCameraCountReg">
    <Address>0x1002c</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Integer Name="TamraFrameDelay" NameSpace="Custom">
    <ToolTip>Milliseconds between free-run frames</ToolTip>
    <pValue>TamraFrameDelayReg</pValue>
    <Min>33</Min>
    <Max>10000</Max>
    <Unit>ms</Unit>
  </Integer>
  <IntReg Name="TamraFrameDelayReg">
    <Address>0x10034</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Integer Name="TamraOverrunCount" NameSpace="Custom">
    <ToolTip>Frames the emulator dropped because the ring was full</ToolTip>
    <pValue>TamraOverrunCountReg</pValue>
  </Integer>
  <IntReg Name="TamraOverrunCountReg">
    <Address>0x10030</Address>
    <Length>4</Length>
    <AccessMode>RO</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Integer Name="TamraFramesDelivered" NameSpace="Custom">
    <ToolTip>Frames handed to the stream since the device started</ToolTip>
    <pValue>TamraFramesDeliveredReg</pValue>
  </Integer>
  <IntReg Name="TamraFramesDeliveredReg">
    <Address>0x1003c</Address>
    <Length>4</Length>
    <AccessMode>RO</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </IntReg>
  <Command Name="GevSCPSFireTestPacket" NameSpace="Standard">
    <ToolTip>Sends one test packet of the current packet size to the stream destination</ToolTip>
    <pValue>GevSCPSFireTestPacketReg</pValue>
    <CommandValue>1</CommandValue>
  </Command>
  <MaskedIntReg Name="GevSCPSFireTestPacketReg">
    <Address>0x0d04</Address>
    <Length>4</Length>
    <AccessMode>RW</AccessMode>
    <pPort>Device</pPort>
    <Cachable>NoCache</Cachable>
    <Bit>0</Bit>
    <Sign>Unsigned</Sign>
    <Endianess>BigEndian</Endianess>
  </MaskedIntReg>
  <Port Name="Device" NameSpace="Standard">
  </Port>
</RegisterDescription>
)XML";

}  // namespace

std::string genicamXml() {
    return kXml;
}

}  // namespace tamra::gev
